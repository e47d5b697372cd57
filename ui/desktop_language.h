// The toolkit's own texts in the desktop's language: the file chooser and its overwrite question,
// the stock buttons of wx's dialogs, the names of keys in the menus' accelerators. vesk's own
// texts are German whatever the desktop says; under a German desktop nothing is left in English.
#pragma once

// Takes the C library's locale from the environment (LC_ALL, LC_MESSAGES, LANG) and keeps numbers
// in the C locale's form (traces, settings and the log write "0.01", never "0,01"). Call before
// the toolkit starts: GTK names the modifier keys once, when it first draws an accelerator. An
// environment that names a locale the system does not have leaves the program in the C locale,
// with English toolkit texts.
void UseDesktopLocale();

// Loads wx's catalogue for the desktop's language; call once wx has started.
void LoadToolkitTranslations();
