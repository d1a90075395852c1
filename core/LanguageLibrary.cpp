#include "core/LanguageLibrary.h"

using namespace plat;

const char* LanguageLibraryFor(WORD id) {
  switch (id) {
    case 1028:
      return "ZelvikROC.dll";
    case 1031: case 2055: case 3079: case 4103: case 5127:
      return "ZelvikGER.dll";
    case 1032:
      return "ZelvikGRK.dll";
    case 1036: case 2060: case 3084: case 4108: case 5132:
      return "ZelvikFRN.dll";
    case 1040: case 2064:
      return "ZelvikITA.dll";
    case 1041:
      return "ZelvikJPN.dll";
    case 1042:
      return "ZelvikKOR.dll";
    default:
      return nullptr;
  }
}

LanguageChoice ChooseLanguageLibrary(WORD /*systemDefaultLanguage*/) {
  // The client runs on its built-in English resources whatever the system's language.
  const WORD id = 1033;
  return {id, LanguageLibraryFor(id)};
}
