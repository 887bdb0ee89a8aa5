// Defines the shell interface identifiers that the system's import libraries
// do not carry; thumbcache.h declares them with DEFINE_GUID.
#include <windows.h>
// Turns the DEFINE_GUIDs below into definitions.
#include <initguid.h>
#include <thumbcache.h>
