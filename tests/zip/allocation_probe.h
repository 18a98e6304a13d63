// Watches the test binary's heap requests, so that a test can prove that a
// small hostile archive never makes the reader ask for a large block, and
// can make large requests fail to see how the reader copes.
//
// It replaces the global operator new and delete of the whole binary.
#ifndef TESTS_ZIP_ALLOCATION_PROBE_H_
#define TESTS_ZIP_ALLOCATION_PROBE_H_

#include <cstddef>

namespace allocprobe {

// Forgets the largest request seen so far.
void ResetLargest();

// The largest single request through operator new since ResetLargest.
size_t Largest();

// From now on, requests of `limit` bytes or more fail (nothrow forms give
// null, the others throw); 0 lets every request through again.
void RefuseFrom(size_t limit);

}  // namespace allocprobe

#endif  // TESTS_ZIP_ALLOCATION_PROBE_H_
