// The program's icon (frame, about box), drawn from its SVG source at any size.
#pragma once

#include <wx/bmpbndl.h>
#include <wx/iconbndl.h>

wxBitmapBundle AppIconBitmap(wxSize size);
wxIconBundle AppIconBundle();
