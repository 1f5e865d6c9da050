#pragma once

// Test support: exact counts of labelled graphs on n <= 13 vertices, as
// decimal strings. dags: all DAGs (Robinson's recurrence);
// essential_dags: DAGs alone in their Markov equivalence class; essential
// graphs: the classes (published enumeration for n <= 10, published formula
// values for n = 11 .. 13); the connected ones: those whose
// skeleton is connected (from the totals by the exponential formula).

#include <string>

namespace pellimor::testing {

struct ExactCounts {
    int n;
    const char* dags;
    const char* essential_dags;
    const char* essential_graphs;
    const char* connected_essential_graphs;
    const char* connected_essential_dags;
};

inline constexpr ExactCounts exact_counts[] = {
    {1, "1", "1", "1", "1", "1"},
    {2, "3", "1", "2", "1", "0"},
    {3, "25", "4", "11", "7", "3"},
    {4, "543", "59", "185", "147", "46"},
    {5, "29281", "2616", "8782", "7881", "2355"},
    {6, "3781503", "306117", "1067825", "1015003", "291146"},
    {7, "1138779265", "87716644", "312510571", "305011841", "85621991"},
    {8, "783702329343", "58874478231", "212133402500", "209630427177", "58180704086"},
    {9, "1213442454842881", "90018247082416", "326266056291213", "324356289835711",
     "89491422160251"},
    {10, "4175098976430598143", "307775459402071913", "1118902054495975181", "1115639173090376627",
     "306877881484352482"},
    {11, "31603459396418917607425", "2322338398654088751036", "8455790399687227104576",
     "8443482286265069428133", "2318957779502678154951"},
    {12, "521939651343829405020504063", "38293189001166839643861795", "139537050182278289405732939",
     "139435580323684704100164995", "38265341173200362790178622"},
    {13, "18676600744432035186664816926721", "1369158635491114830895696234696",
     "4991058955493997577840793161279", "4989244972210912808153568305341",
     "1368661004822071535056563043859"},
};
inline constexpr int exact_counts_max_n = 13;

inline const ExactCounts& exact_counts_for(int n) {
    return exact_counts[n - 1];
}

// The nearest double, for ratios of counts.
inline double as_double(const char* count) {
    return std::stod(count);
}

}  // namespace pellimor::testing
