#pragma once
// Seams between the input module's own files; not for use outside input/.

#include <cstdint>

// The SDL user event type that carries timer ticks (user.code is the timer handle).
uint32_t TimerTickEventType();
// Runs the timer registered under handle; handles no longer registered are ignored.
void RunTimerTick(int32_t handle);
// Rebuilds the joystick port table (a device was plugged in or removed).
void RebuildJoystickPorts();
// Installs the event-queue hook on EmitEventHook at priority -10000.
void InstallEventQueueHook();
