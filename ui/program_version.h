/* Version numbers shared by both programs' resource scripts. */
#pragma once

#define DRAVELIN_VERSION_BINARY 1, 0, 0, 0
#define DRAVELIN_VERSION_TEXT "1.00"
