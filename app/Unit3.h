// TAboutBox: the about dialog.
#pragma once
