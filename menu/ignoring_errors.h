// Gather and shutdown go on whatever one step throws: a step that fails is skipped and the next one runs.
#pragma once

namespace korven {

template <typename F>
void IgnoringErrors(F&& step) {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace korven
