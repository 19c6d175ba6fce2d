#pragma once

#include <functional>

// Runs `wait` (something that blocks until another thread is done) on a
// helper thread while this window thread keeps answering the messages sent
// to it, so that a thread which sends this thread messages cannot hang on
// them while we wait for it.
void WaitPumpingSentMessages(const std::function<void()>& wait);
