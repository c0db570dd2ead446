// The library is its compiled resource (:/bitmaps/); Qt adds that as an
// object of its own, and a static library needs at least one source file.
