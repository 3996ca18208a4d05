// TForm1: the main window.
#include "app/Unit1.h"
