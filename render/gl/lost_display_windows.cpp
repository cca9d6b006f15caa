// Windows has no connection to lose: a window's messages stop when it goes.

#include "render/gl/lost_display.h"

void EndAtLostDisplay() {}
