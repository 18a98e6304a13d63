#include "core/pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "core/file_load.h"

namespace {

// Files a thread takes at once, at most: waking a thread costs a system
// call, as much as reading a small file, so a thread that waits for a
// result is woken once per batch, not once per file.
const size_t kBatchMost = 16;

// What the threads of one walk share: the next name to take, how many
// results the calling thread has finished, and the results in between,
// each at its index modulo the window. The results hold messages, not file
// contents, so a long window costs little memory and lets a thread that
// reads small files run ahead of one that reads a large file.
struct Walk {
  const std::vector<std::string>& names;
  const std::function<void(const std::string&, FileResult*)>& identify;
  size_t window;
  size_t batch;
  std::mutex lock;
  std::condition_variable resultIn;  // the calling thread waits for its next result
  std::condition_variable roomMade;  // workers wait for room in the window
  bool callerWaiting = false;
  size_t workersWaiting = 0;
  size_t next = 0;
  size_t finished = 0;
  std::vector<std::unique_ptr<FileResult>> slots;
};

// Takes the next batch of names while the window has room; stores the
// first index taken in `first` and returns one past the last, or 0 when no
// name is left.
size_t TakeBatch(Walk* walk, size_t* first) {
  std::unique_lock<std::mutex> held(walk->lock);
  // The whole batch must fit the window, or it would overwrite results the
  // calling thread has not taken yet.
  while (walk->next < walk->names.size() &&
         std::min(walk->names.size(), walk->next + walk->batch) > walk->finished + walk->window) {
    ++walk->workersWaiting;
    walk->roomMade.wait(held);
    --walk->workersWaiting;
  }
  if (walk->next >= walk->names.size()) return 0;
  *first = walk->next;
  walk->next = std::min(walk->names.size(), walk->next + walk->batch);
  return walk->next;
}

// Identifies batches of names and hands back their results.
void Work(Walk* walk) {
  size_t first = 0;
  while (size_t end = TakeBatch(walk, &first)) {
    for (size_t index = first; index < end; ++index) {
      std::unique_ptr<FileResult> result(new FileResult);
      walk->identify(walk->names[index], result.get());
      std::lock_guard<std::mutex> held(walk->lock);
      walk->slots[index % walk->window] = std::move(result);
    }
    std::unique_lock<std::mutex> held(walk->lock);
    bool awaited = walk->callerWaiting && walk->finished >= first && walk->finished < end;
    held.unlock();
    if (awaited) walk->resultIn.notify_one();
  }
  // The per-file functions loaded files into this thread's buffer.
  ReleaseReusableFileBuffer();
}

// The result of `index`, once a thread has handed it back.
std::unique_ptr<FileResult> Take(Walk* walk, size_t index) {
  std::unique_lock<std::mutex> held(walk->lock);
  std::unique_ptr<FileResult>& slot = walk->slots[index % walk->window];
  while (slot == nullptr) {
    walk->callerWaiting = true;
    walk->resultIn.wait(held);
  }
  walk->callerWaiting = false;
  std::unique_ptr<FileResult> result = std::move(slot);
  walk->finished = index + 1;
  bool blocked = walk->workersWaiting > 0;
  held.unlock();
  if (blocked) walk->roomMade.notify_all();
  return result;
}

}  // namespace

void RunPipeline(const std::vector<std::string>& names, int threads,
                 const std::function<void(const std::string&, FileResult*)>& identify,
                 const std::function<void(FileResult*)>& finish) {
  if (threads <= 1 || names.size() <= 1) {
    for (const std::string& name : names) {
      FileResult result;
      identify(name, &result);
      finish(&result);
    }
    return;
  }
  // Batches small enough that every thread gets several, and a window of
  // a few batches a thread.
  size_t batch = std::max<size_t>(1, std::min(kBatchMost, names.size() / (8 * threads)));
  Walk walk{names, identify, 4 * batch * threads, batch, {}, {}, {}, false, 0, 0, 0, {}};
  walk.slots.resize(walk.window);
  std::vector<std::thread> workers;
  // A thread that cannot start (no memory for its stack, a limit on
  // processes) leaves the work to those that did; with none, the calling
  // thread does it all. The result is the same either way.
  try {
    for (int i = 0; i < threads; ++i) workers.emplace_back(Work, &walk);
  } catch (const std::exception&) {
  }
  if (workers.empty()) return RunPipeline(names, 1, identify, finish);
  for (size_t index = 0; index < names.size(); ++index) finish(Take(&walk, index).get());
  for (std::thread& worker : workers) worker.join();
}
