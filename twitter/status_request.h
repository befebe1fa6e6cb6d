#pragma once
// The status update: one POST of the mood text, on a thread of its own, in
// the order the moods were set; tried again while the service surely did not
// take it, for up to 15 minutes.
#include <windows.h>

// Where each mood's state goes, as the tooltip's second line; accountRefused:
// the service refused the account although it was sent. Called on the posting
// threads. Set once, before the first mood; without one nothing is told.
using MoodReporter = void (*)(const char* line, bool accountRefused);
void setMoodReporter(MoodReporter reporter);

// Takes over a mood text (a zero-terminated GlobalAlloc block), draws its turn
// and starts its posting thread. Called in the order the moods are set.
void startMoodPost(char* text);

// Posts one mood on the calling thread, outside the turns, retries included.
void postMoodNow(const char* text);

// The program ends: moods still waiting for their turn or a retry are dropped.
// (ServiceRequest::cancelAll ends a post under way.)
void stopMoodPosts();
