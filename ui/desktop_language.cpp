#include "ui/desktop_language.h"

#include <clocale>
#include <memory>

#include <wx/translation.h>

void UseDesktopLocale() {
    if (std::setlocale(LC_ALL, "") != nullptr)
        std::setlocale(LC_NUMERIC, "C");
}

void LoadToolkitTranslations() {
    auto translations = std::make_unique<wxTranslations>();
    translations->AddStdCatalog();  // wxstd-3.2, from the system's locale folders
    wxTranslations::Set(translations.release());
}
