#pragma once
// The live scoreboard at "/": one static page that fills itself from the
// event stream (/events) and updates as the game goes on, without a
// reload. Names reach the document only as text nodes, never as markup.
#include <string>

namespace web {

std::string ScoreboardPage();

}  // namespace web
