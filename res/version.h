// The one place of the program's version: VERSIONINFO and the About text.
#pragma once

#define TOVEL_VERSION_NUMBERS 1, 0, 0, 0
#define TOVEL_VERSION_TEXT "1.0.0.0"
#define TOVEL_TITLE "Tovel Bin"
#define TOVEL_COMPANY "Parvex"
#define TOVEL_COPYRIGHT "Copyright (C) 2026 Parvex. All rights reserved."
