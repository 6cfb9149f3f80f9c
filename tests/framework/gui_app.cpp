#include "gui_app.h"

namespace
{
GuiTestApp g_app;
}  // namespace

GuiTestApp& TheTestApp()
{
    return g_app;
}
