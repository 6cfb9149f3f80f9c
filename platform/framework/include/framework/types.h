// Basic Windows types and small shared definitions of the framework.
#pragma once

#include <windows.h>

// Opaque iteration handle of lists and maps.
struct ListPosition;
typedef ListPosition* POSITION;
