#pragma once
// What happens when the connection to the display is lost under the game (the X server
// ended or crashed). The window system's library would end the process through its exit
// handlers, and closing the graphics there waits for ever on the dead connection, at full
// CPU; instead the process ends at once with one "render:" line on stderr and status 1.
// Game thread only.

// Arranges that ending, where the system has such a connection. Call once video is up;
// later calls do nothing.
void EndAtLostDisplay();
