// GNUstep's headers ask for the blocks runtime under this name; Debian ships it as <Block.h>.
#include <Block.h>
