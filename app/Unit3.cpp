// TAboutBox: the about dialog.
#include "app/Unit3.h"
