#pragma once
// Small DXF texts built in tests, and reading them.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "engine/dxf/dxf_read.h"

namespace pelindra::test {

using Group = std::pair<int, std::string>;

// Code and value lines, each ended with CR LF.
std::string dxf_text(std::initializer_list<Group> groups);
std::string dxf_text(const std::vector<Group>& groups);
// The groups of a whole file: HEADER with no variables, an ENTITIES section
// with the given groups, EOF.
std::string entities_file(const std::vector<Group>& entity_groups);

struct Read_Result {
  Layer_Vector layers;
  Point3D min, max;
  DXF_Recorded_Events events;
  std::vector<std::string> skipped;

  // "layer/list:count" for every list, in order, separated by blanks.
  std::string lists() const;
  // The first entity of the named class anywhere, or null.
  const DXF_Entity* first(const std::string& class_name) const;
  std::string messages() const;
};

Read_Result read_dxf(const std::string& text, int cancel_at_warning = 0);

}  // namespace pelindra::test
