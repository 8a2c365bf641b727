// SPDX-License-Identifier: MIT
#include "app/utf8_locale.h"

#include <langinfo.h>
#include <strings.h>

#include <array>
#include <clocale>
#include <cstdlib>
#include <string>

namespace veltrask::app {
namespace {

bool characterTypeIsUtf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr &&
           (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0);
}

}  // namespace

void chooseUtf8CharacterType() {
    // The locale the environment names, as Qt will read it.
    std::setlocale(LC_ALL, "");
    if (characterTypeIsUtf8()) {
        return;
    }
    constexpr const char* kUtf8 = "C.UTF-8";
    if (std::setlocale(LC_CTYPE, kUtf8) == nullptr) {
        // Not on this system: Qt makes do, and says why.
        return;
    }
    // LC_ALL outranks LC_CTYPE. Its value moves to LANG, which every category but the character
    // type then falls back to, as they followed LC_ALL before; the other LC_ variables it had
    // overridden go.
    if (const char* all = std::getenv("LC_ALL"); all != nullptr && *all != '\0') {
        const std::string everyCategory = all;
        constexpr std::array kOverridden = {"LC_COLLATE",     "LC_MESSAGES",      "LC_MONETARY",
                                            "LC_NUMERIC",     "LC_TIME",          "LC_PAPER",
                                            "LC_NAME",        "LC_ADDRESS",       "LC_TELEPHONE",
                                            "LC_MEASUREMENT", "LC_IDENTIFICATION"};
        for (const char* name : kOverridden) {
            unsetenv(name);
        }
        setenv("LANG", everyCategory.c_str(), 1);
        unsetenv("LC_ALL");
    }
    setenv("LC_CTYPE", kUtf8, 1);
    std::setlocale(LC_ALL, "");
}

}  // namespace veltrask::app
