// Built into the tester only under ThreadSanitizer. The test bed runs a
// worker thread of its own inside libumockdev; that library and GLib below it
// are not instrumented and lock through futexes the race detector cannot
// see, so their handing over of memory looks like a race. Ignoring the calls
// these libraries make themselves leaves the tester's own code checked.
extern "C" const char *__tsan_default_suppressions()
{
    return "called_from_lib:libumockdev.so.0\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "called_from_lib:libgobject-2.0.so.0\n"
           "called_from_lib:libgio-2.0.so.0\n";
}
