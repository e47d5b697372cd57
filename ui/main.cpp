// The program: everything lives in the vesk_ui library, so that the tests start the same program
// in process.
#include "ui/vesk_app.h"

wxIMPLEMENT_APP(CVeskApp);
