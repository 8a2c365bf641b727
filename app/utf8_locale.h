// SPDX-License-Identifier: MIT
#pragma once

namespace veltrask::app {

// Qt reads text, file names and the window system's strings as UTF-8 and, from Qt 6.5 on, warns
// on standard error at every start when the locale's character type is another (a bare "C", as
// a console or a service without a locale gives). Called before Qt and before any other thread
// starts: where the character type is not UTF-8 it becomes C.UTF-8 in this process's
// environment, so Qt finds UTF-8 and says nothing. Every other locale category stays as it was.
void chooseUtf8CharacterType();

}  // namespace veltrask::app
