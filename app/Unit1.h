// TForm1: the main window.
#pragma once
