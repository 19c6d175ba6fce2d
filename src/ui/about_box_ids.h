#pragma once

// Controls of the About box. Plain macros: the resource compiler reads this
// file too.
#define IDC_ABOUT_NOTICE 1041
#define IDC_ABOUT_VERSION 1045
