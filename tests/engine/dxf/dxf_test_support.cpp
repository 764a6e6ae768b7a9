#include "tests/engine/dxf/dxf_test_support.h"

namespace pelindra::test {

std::string dxf_text(const std::vector<Group>& groups) {
  std::string s;
  for (const auto& [code, value] : groups) s += std::to_string(code) + "\r\n" + value + "\r\n";
  return s;
}

std::string dxf_text(std::initializer_list<Group> groups) { return dxf_text(std::vector<Group>(groups)); }

std::string entities_file(const std::vector<Group>& entity_groups) {
  std::vector<Group> g{{0, "SECTION"}, {2, "ENTITIES"}};
  g.insert(g.end(), entity_groups.begin(), entity_groups.end());
  g.insert(g.end(), {{0, "ENDSEC"}, {0, "EOF"}});
  return dxf_text(g);
}

std::string Read_Result::lists() const {
  std::string s;
  for (const auto& layer : layers)
    for (const auto& list : layer->lists) {
      if (!s.empty()) s += ' ';
      s += layer->name + "/" + list->name + ":" + std::to_string(list->entities.size());
    }
  return s;
}

const DXF_Entity* Read_Result::first(const std::string& class_name) const {
  for (const auto& layer : layers)
    for (const auto& list : layer->lists)
      if (list->name == class_name && !list->entities.empty()) return list->entities.front().get();
  return nullptr;
}

std::string Read_Result::messages() const {
  std::string s;
  for (const auto& m : events.messages) {
    s += m.kind == DXF_Recorded_Events::Message::Warning ? "warning: "
         : m.kind == DXF_Recorded_Events::Message::Error ? "error: "
                                                         : "note: ";
    s += m.text + "\n";
  }
  return s;
}

Read_Result read_dxf(const std::string& text, int cancel_at_warning) {
  Read_Result r;
  r.events.cancel_at_warning = cancel_at_warning;
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  DXF_Reader reader(std::make_unique<DXF_Memory_Source>(bytes), &r.events);
  reader.set_skipped_log(&r.skipped);
  reader.read_file();
  r.layers = reader.take_layers();
  r.min = reader.extmin();
  r.max = reader.extmax();
  return r;
}

}  // namespace pelindra::test
