// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace veltrask::platform {

// The ways of doing one thing, tried one after another until one works, and why each that was
// tried failed: "a failed with …; b failed with …", for the one line a user reads when none
// worked.
template <typename Way>
class WaysInTurn {
public:
    explicit WaysInTurn(std::vector<Way> ways) : ways_(std::move(ways)) {}

    // The next way to try, or null when every way has had its turn. Stays valid as long as this.
    const Way* next() { return next_ < ways_.size() ? &ways_[next_++] : nullptr; }

    void failed(const std::string& what) { tried_ += (tried_.empty() ? "" : "; ") + what; }

    const std::string& tried() const { return tried_; }

private:
    std::vector<Way> ways_;
    std::size_t next_ = 0;
    std::string tried_;
};

}  // namespace veltrask::platform
