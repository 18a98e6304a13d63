#include "core/pipeline.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

const size_t kQueue = 4;  // results that may wait beyond one per thread

// What the threads of one walk share: the next name to take, how many
// results the calling thread has finished, and the results in between,
// each at its index modulo the window.
struct Walk {
  const std::vector<std::string>& names;
  const std::function<void(const std::string&, FileResult*)>& identify;
  size_t window;
  std::mutex lock;
  std::condition_variable changed;  // a result came in, or room was made
  size_t next = 0;
  size_t finished = 0;
  std::vector<std::unique_ptr<FileResult>> slots;
};

// Takes names in order while the window has room, and hands back results.
void Work(Walk* walk) {
  for (;;) {
    size_t index = 0;
    {
      std::unique_lock<std::mutex> held(walk->lock);
      walk->changed.wait(held, [walk] {
        return walk->next >= walk->names.size() || walk->next < walk->finished + walk->window;
      });
      if (walk->next >= walk->names.size()) return;
      index = walk->next++;
    }
    std::unique_ptr<FileResult> result(new FileResult);
    walk->identify(walk->names[index], result.get());
    {
      std::lock_guard<std::mutex> held(walk->lock);
      walk->slots[index % walk->window] = std::move(result);
    }
    walk->changed.notify_all();
  }
}

// The result of `index`, once a thread has handed it back.
std::unique_ptr<FileResult> Take(Walk* walk, size_t index) {
  std::unique_lock<std::mutex> held(walk->lock);
  std::unique_ptr<FileResult>& slot = walk->slots[index % walk->window];
  walk->changed.wait(held, [&slot] { return slot != nullptr; });
  std::unique_ptr<FileResult> result = std::move(slot);
  walk->finished = index + 1;
  held.unlock();
  walk->changed.notify_all();
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
  Walk walk{names, identify, static_cast<size_t>(threads) + kQueue, {}, {}, 0, 0, {}};
  walk.slots.resize(walk.window);
  std::vector<std::thread> workers;
  for (int i = 0; i < threads; ++i) workers.emplace_back(Work, &walk);
  for (size_t index = 0; index < names.size(); ++index) finish(Take(&walk, index).get());
  for (std::thread& worker : workers) worker.join();
}
