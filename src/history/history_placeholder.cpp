// Replaced by the history's sources.
