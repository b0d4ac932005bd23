#include "host/qt/finding_groups.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace qtfront {

std::vector<FindingGroup> GroupFindings(const layout::Report& report) {
  std::vector<const layout::Rule*> rules;
  for (const layout::Rule& rule : layout::RuleBook()) rules.push_back(&rule);
  std::stable_sort(rules.begin(), rules.end(),
                   [](const layout::Rule* a, const layout::Rule* b) { return a->severity < b->severity; });
  std::map<std::string_view, std::size_t> place;
  for (std::size_t i = 0; i < rules.size(); ++i) place[rules[i]->name] = i;

  std::vector<FindingGroup> by_rule(rules.size());
  for (std::size_t p = 0; p < report.problems.size(); ++p) {
    const auto it = place.find(report.problems[p].rule);
    if (it != place.end()) by_rule[it->second].problems.push_back(p);
  }
  std::vector<FindingGroup> groups;
  std::vector<long> lines;
  for (std::size_t i = 0; i < rules.size(); ++i) {
    FindingGroup& group = by_rule[i];
    if (group.problems.empty()) continue;
    group.rule = rules[i];
    lines.clear();
    for (std::size_t p : group.problems) {
      const auto& found_on = report.problems[p].lines;
      lines.insert(lines.end(), found_on.begin(), found_on.end());
    }
    std::sort(lines.begin(), lines.end());
    group.lines = static_cast<long>(std::unique(lines.begin(), lines.end()) - lines.begin());
    groups.push_back(std::move(group));
  }
  return groups;
}

}  // namespace qtfront
