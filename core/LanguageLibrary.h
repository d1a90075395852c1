// The language resource library the client would load for a system language.
#pragma once
#include "platform/types.h"

// The resource library of a language identifier ("ZelvikGER.dll", ...), or null for every
// identifier that keeps the built-in English resources.
const char* LanguageLibraryFor(plat::WORD languageId);
// The chooser as the application runs it: the identifier is fixed to 1033 (English, United
// States) before the table is consulted, so it answers 1033 and no library.
struct LanguageChoice {
  plat::WORD languageId;
  const char* library;
};
LanguageChoice ChooseLanguageLibrary(plat::WORD systemDefaultLanguage);
