#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "network.h"
#include "periodic_image.h"

#include "vec3.h"

// What to detect: the touching pairs of fibers[0 .. count - 1], in a box centred on the origin
// that is periodic along the axes of non-zero period (periodic_image.h) and open along the
// others. Fibers i
// and j touch within pair_diameter(diameters[i], diameters[j]), or within `diameter` when
// `diameters` is null.
struct ContactQuery {
  const Fiber* fibers = nullptr;
  int32_t count = 0;
  float diameter = 0;
  const float* diameters = nullptr;
  Periods periods{};
  int64_t max_contacts = UNCAPPED;  // or a cap on the contacts stored
  int threads = 1;                  // workers; the result does not depend on them
};

// What detection found: `count` contacts in pair order, and whether more exist than were kept.
struct ContactFindings {
  int32_t count = 0;
  bool overflow = false;
};

// Contact detection on networks its caller owns. Its working memory is kept for the next
// detection; several detectors may run at once.
class ContactDetector {
 public:
  ContactDetector();
  ~ContactDetector();
  ContactDetector(const ContactDetector&) = delete;
  ContactDetector& operator=(const ContactDetector&) = delete;

  // Writes the contacts of `query` to out[0 .. found.count - 1], ordered by first then second
  // index, exactly those of the all-pairs loop (contacts_all_pairs.cpp, contacts_periodic.h) with
  // its capacity rule; `out` grows to what is kept. False, with no contacts, when memory cannot be
  // had. Prints nothing.
  bool detect(const ContactQuery& query, RecordBuffer<Contact>& out, ContactFindings& found);

  // Gives back the working memory, for a caller that detects no more.
  void release();

  struct Workspace;

 private:
  std::unique_ptr<Workspace> work_;
};

// Finds every touching pair of the placed fibers, ordered by first then second index, keeping
// at most the network's contact capacity; when more exist prints "Too many contacts!" once. Uses
// a uniform grid over fiber midpoints and gives exactly the all-pairs result, on as many threads
// as the machine has cores. Returns false, with no contacts, when its working memory or the
// storage for the contacts it keeps cannot be had.
bool detect_contacts();

// The same with an explicit number of worker threads (at least one); the result does not depend
// on it.
bool detect_contacts_threaded(int threads);

// Where detection prints "Too many contacts!": standard output, unless standard output carries a
// table that the line would break.
extern std::FILE* contact_overflow_stream;
void report_contact_overflow();

// Gives back the working memory kept for the process-wide network's next detection.
void release_detection_memory();

// Appends a contact as the plain loops do: false, after printing "Too many contacts!", when a
// further contact meets the capacity; false as well when uncapped storage cannot grow.
bool append_contact(int32_t first, int32_t second, float distance, const Vec3& point);

// The plain loop over all n(n - 1)/2 pairs: the reference the grid must match.
void detect_contacts_all_pairs();
