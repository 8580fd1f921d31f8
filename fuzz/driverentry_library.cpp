// The instrumented shared library of the task entries' fuzz target is made of
// the static objects of the library alone; a target needs a source of its own.
