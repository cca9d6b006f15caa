#pragma once
// Polled keyboard, mouse and joystick input. Keyboard and mouse answers come from a
// state table kept by a hook on EmitEventHook (attached by EnableInputPolling, which the
// graphics module calls when its window opens); every keyboard and mouse query pumps the
// system queue first. Joystick queries read the device at the moment of asking.
// Main thread only. Key codes are Windows virtual-key codes (Left Control 162, Space 32).

#include <cstdint>
#include <memory>
#include <string>

#include "input/event.h"

// ---- Keyboard ----
int32_t KeyIsDown(int32_t key);  // 1 while held; 0 for codes outside 0..255
int32_t KeyHits(int32_t key);    // presses since the last call (a held key counts once)
int32_t NextChar();              // oldest typed character, or 0 when none is queued
void ClearKeys();                // forgets held keys, hits and typed characters
int32_t WaitForKey();            // blocks until a key is pressed; its code
int32_t WaitForChar();           // blocks until a character is typed; the character

// ---- Mouse (buttons 1 left, 2 right, 3 middle) ----
int32_t MouseIsDown(int32_t button);
int32_t MouseHits(int32_t button);
int32_t PointerX();  // back-buffer pixels; 0 until the pointer first moves over the window
int32_t PointerY();
int32_t PointerWheel();  // wheel notches since the last ClearMouse (up is positive)
void ClearMouse();       // forgets buttons, hits and the wheel; the position stays
int32_t WaitForMouse();  // blocks until a button is pressed; its number

// ---- Application ----
int32_t IsSuspended();     // 1 while the application has lost focus
int32_t CloseRequested();  // 1 once after a close request (window close, SIGINT, SIGTERM, SIGHUP)

// Attaches the polled-input hook (only events from source, or all when null, are taken)
// and clears keys and mouse. Does nothing when already enabled.
void EnableInputPolling(std::shared_ptr<TObject> source = nullptr);
// Detaches it and clears keys and mouse. Does nothing when not enabled.
void DisableInputPolling();
int32_t InputPollingEnabled();
// Whether queries pump before answering (default 1). A program that pumps on its own may
// switch it off.
void SetAutoPoll(int32_t enable);

// ---- Pointer ----
void MoveMouse(int32_t x, int32_t y);  // back-buffer position in the graphics window
void HidePointer();                    // hidden while over the graphics window
void ShowPointer();

// ---- Joystick: ports 0..15; other port numbers read as nothing attached ----

// Rebuilds the port table from the attached devices; the number of ports. The table is
// also rebuilt whenever a device is plugged in or removed. A port that gets another device
// forgets the old one's presses and axes; buttons the new one already holds are no presses.
int32_t JoystickCount();
std::string JoystickName(int32_t port);    // "" when unknown
int32_t JoystickButtonCaps(int32_t port);  // 2^buttons - 1; 0 when unknown
int32_t JoystickAxisCaps(int32_t port);    // 2^axes - 1, plus 512 with a hat; 0 when unknown
int32_t JoyButtonIsDown(int32_t button, int32_t port = 0);
int32_t JoyButtonHits(int32_t button, int32_t port = 0);  // rising edges of buttons 0..15
// Axes from -1.0 to +1.0 (full deflection reads exactly -1 and +1); no dead zone.
float JoyAxisX(int32_t port = 0);
float JoyAxisY(int32_t port = 0);
float JoyAxisZ(int32_t port = 0);
float JoyAxisR(int32_t port = 0);
float JoyAxisU(int32_t port = 0);
float JoyAxisV(int32_t port = 0);
float JoyAxisYaw(int32_t port = 0);    // never filled: 0
float JoyAxisPitch(int32_t port = 0);  // never filled: 0
float JoyAxisRoll(int32_t port = 0);   // never filled: 0
float JoyAxisWheel(int32_t port = 0);  // never filled: 0
// Hat direction as a fraction of a turn clockwise from up (right is 0.25); -1 centred.
float JoyHatAngle(int32_t port = 0);
