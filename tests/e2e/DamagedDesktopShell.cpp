// Desktop shells that a damaged or mixed-up install could put beside the helper. The loader must
// refuse each: one built for another interface (whose entry point must not even be called), one
// whose entry point answers success without adding anything, and one that needs a function the
// helper lacks (a shell of another build: it must not load, let alone end the process when called).
#include <cstdlib>

#include "kestrum/desktop/DesktopShellLoader.hpp"

#if defined(KESTRUM_SHELL_NEEDING_MORE)
extern "C" int kestrum_what_no_helper_has();
extern "C" const unsigned kestrum_desktop_shell_interface_version = kestrum::desktop::desktopShellInterfaceVersion;
extern "C" int kestrum_desktop_shell_assemble(unsigned, kestrum::Platform*) { return kestrum_what_no_helper_has(); }
#elif defined(KESTRUM_SHELL_OF_ANOTHER_INTERFACE)
extern "C" const unsigned kestrum_desktop_shell_interface_version = kestrum::desktop::desktopShellInterfaceVersion + 1;
extern "C" int kestrum_desktop_shell_assemble(unsigned, kestrum::Platform*) { std::abort(); }
#else
extern "C" const unsigned kestrum_desktop_shell_interface_version = kestrum::desktop::desktopShellInterfaceVersion;
extern "C" int kestrum_desktop_shell_assemble(unsigned, kestrum::Platform*) { return 1; }
#endif
