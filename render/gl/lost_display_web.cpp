// A page has no connection to lose: the canvas goes with the page.

#include "render/gl/lost_display.h"

void EndAtLostDisplay() {}
