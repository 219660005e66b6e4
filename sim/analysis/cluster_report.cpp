#include "analysis/cluster_report.h"

#include <cstdio>

std::vector<uint8_t> cluster_marks(const ClusterResult& clusters) {
  std::vector<uint8_t> marks(clusters.cluster_of.size(), 0);
  for (size_t f = 0; f < marks.size(); ++f) {
    const int32_t id = clusters.cluster_of[f];
    if (id == clusters.largest_id) {
      marks[f] = 1;
    } else if (clusters.spans[id] != 0) {
      marks[f] = 2;
    }
  }
  return marks;
}

std::string format_cluster_stats(const ClusterResult& clusters) {
  char line[160];
  std::snprintf(line, sizeof line,
                "clusters %i;largest %i;contacts per fiber %g;spanning x %i y %i z %i",
                clusters.num_clusters, clusters.largest, clusters.contacts_per_fiber,
                static_cast<int>(clusters.spanning[0]), static_cast<int>(clusters.spanning[1]),
                static_cast<int>(clusters.spanning[2]));
  return line;
}
