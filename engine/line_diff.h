#pragma once

#include <vector>

namespace zp {

// Which lines a short edit script takes out of the old text and puts into the new one. The lines
// left unmarked in both are their longest common subsequence, pairing up in order.
struct LineChanges
{
    std::vector<bool> removed; // one per old line
    std::vector<bool> added; // one per new line
};

// Compares two texts given as one number per line (equal lines, equal numbers) with Myers'
// difference algorithm in linear space. The script is a shortest one, except on inputs so
// different that finding the shortest would take quadratic time: there a search that has gone
// far without meeting its counterpart splits where it has got furthest.
LineChanges CompareLines(const std::vector<int>& oldLines, const std::vector<int>& newLines);

} // namespace zp
