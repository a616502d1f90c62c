#pragma once

namespace varnel {

// Call first in main(), before any regular expression is compiled. On Windows, the runtime
// emulates thread-local storage, and an object with a destructor that Qt keeps per thread
// for its compiled regular expressions is destroyed after that storage has been freed: a
// worker thread that ran such a match (the PostgreSQL driver does at every connect) then
// crashes the process when it ends, whenever the freed block was reused meanwhile. With the
// expressions interpreted instead of compiled, Qt never creates that object; our patterns
// are short and matched rarely, so nothing is lost. Elsewhere this does nothing.
void PrepareForEndingThreads();

}  // namespace varnel
