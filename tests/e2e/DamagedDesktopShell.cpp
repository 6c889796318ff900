// Desktop shells that a damaged or mixed-up install could put beside the helper. The loader must
// refuse each: one built for another interface (whose entry point must not even be called), and
// one whose entry point answers success without adding anything.
#include <cstdlib>

#include "kestrum/desktop/DesktopShellLoader.hpp"

#ifdef KESTRUM_SHELL_OF_ANOTHER_INTERFACE
extern "C" const unsigned kestrum_desktop_shell_interface_version = kestrum::desktop::desktopShellInterfaceVersion + 1;
extern "C" int kestrum_desktop_shell_assemble(unsigned, kestrum::Platform*) { std::abort(); }
#else
extern "C" const unsigned kestrum_desktop_shell_interface_version = kestrum::desktop::desktopShellInterfaceVersion;
extern "C" int kestrum_desktop_shell_assemble(unsigned, kestrum::Platform*) { return 1; }
#endif
