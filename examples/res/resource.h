// String IDs of the example application and of its resource DLLs.
#pragma once

// res/example.rc, in the executable.
#define IDS_APP_TITLE 101
#define IDS_GREETING 102       // "%1 %2 is running on %3." (FormatMessage inserts)
#define IDS_PLUGIN_FAILED 103  // "Cannot load the plug-in %s." (printf)

// res/ExampleEng.rc and res/ExampleFra.rc, one DLL per language.
#define IDS_UI_LANGUAGE 201
