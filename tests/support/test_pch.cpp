// Makes the precompiled header the test programs share. It is built as a
// program like them (the support library's main), so that its settings
// (position-independent executable code among them) match theirs.
