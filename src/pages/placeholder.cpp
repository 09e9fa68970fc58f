// Removed once this library has real sources.
