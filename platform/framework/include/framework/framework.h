// Umbrella header of the application framework.
#pragma once

#include <framework/types.h>
#include <framework/object.h>
#include <framework/cstring.h>
#include <framework/exceptions.h>
#include <framework/templates.h>
#include <framework/arrays.h>
#include <framework/lists.h>
#include <framework/maps.h>
#include <framework/file.h>
#include <framework/archive.h>
#include <framework/datetime.h>
#include <framework/thread.h>
#include <framework/winapp.h>
#include <framework/geometry.h>
#include <framework/cmdtarget.h>
#include <framework/wnd.h>
#include <framework/gdi.h>
#include <framework/menu.h>
#include <framework/controls.h>
#include <framework/dialog.h>
#include <framework/framemsg.h>
#include <framework/controlbar.h>
#include <framework/frame.h>
