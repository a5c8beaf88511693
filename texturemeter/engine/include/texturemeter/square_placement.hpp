#pragma once
// Where the analysed square lies on a photograph. Every route (the window, texturemeter-cli, the
// Python package) checks a square with this one rule before a run.

#include <optional>
#include <string>

#include "texturemeter/texture_parameters.hpp"

namespace texturemeter {

// The analysed square (corner x, y; side: pixels x..x+side, y..y+side) against a photograph of
// width x height: refused (imaging::RunError, ErrorKind::Refused) when it lies entirely outside;
// when it reaches past an edge, the warning to show (the window measures white there, and so
// does every other route); nothing when it lies inside. The square is named in the words of the
// shell that shows the message (texturemeter-cli "--x 10 --y 20 --side 200", the Python package
// "x=10 y=20 side=200").
std::optional<std::string> squareOverhang(int x, int y, int side, int width, int height, const ParameterWords& words);

}  // namespace texturemeter
