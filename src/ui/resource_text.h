#pragma once
// The resource script and its identifier header, embedded as text by the build (res/CMakeLists.txt).

namespace sw::ui {

const char* EmbeddedResourceScript();
const char* EmbeddedResourceHeader();

}  // namespace sw::ui
