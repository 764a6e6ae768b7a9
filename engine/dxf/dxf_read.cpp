#include "engine/dxf/dxf_read.h"

#include <cmath>

#include "engine/base/numbers.h"
#include "engine/dxf/group_codes.h"

namespace pelindra {

namespace {

// Raised when the user interface asks the read to stop; not an error.
struct Stop_reading {};

std::string with_line(const std::string& message, int line_number) {
  if (line_number < 0) return message;
  return message + "\r\nError occured at or near line number " + std::to_string(line_number);
}

const std::string undefined_block_message =
    "Cannot reference an undefined BLOCK\r\n\r\n(File may not have been saved with BLOCKs)\r\n";

}  // namespace

DXF_read_exception::DXF_read_exception(const std::string& message, int line_number)
    : std::runtime_error(with_line(message, line_number)), line_number_(line_number) {}

bool DXF_Recorded_Events::entity_warning(const std::string& message) {
  messages.push_back({Message::Warning, message});
  return ++warnings_ != cancel_at_warning;
}

DXF_Load_Status& dxf_load_status() {
  static DXF_Load_Status status;
  return status;
}

void abstract_entity::clear() { *this = abstract_entity{}; }

DXF_Reader::DXF_Reader(const std::string& file_name, DXF_Read_Events* events, const DXF_Reader_Limits& limits)
    : DXF_Reader(std::make_unique<DXF_File_Source>(file_name), events, limits) {}

DXF_Reader::DXF_Reader(std::unique_ptr<DXF_Source> source, DXF_Read_Events* events, const DXF_Reader_Limits& limits)
    : tags_(std::move(source)), events_(events), limits_(limits) {
  tags_.on_refill = [this] { on_refill(); };
  vertices_.reserve(std::size_t(std::max(0, std::min(limits_.max_vertices, 8192))));
}

void DXF_Reader::on_refill() {
  // The share of the file read so far; a rewound step reads again without
  // the figure running ahead of the file.
  const long double share = static_cast<long double>(tags_.position()) * 100 / (tags_.file_size() + 1.0L);
  const std::int64_t percent = std::min<std::int64_t>(100, tryRoundHalfEven(share).value_or(100));
  dxf_load_status().progress_text = std::to_string(percent) + "%";
  if (!events_) return;
  events_->process_messages();
  if (events_->stop_requested()) throw Stop_reading{};
}

double DXF_Reader::value_float() {
  double v;
  if (!tags_.value_as_float(v)) throw DXF_read_exception("Invalid Floating point conversion", tags_.line_number());
  return v;
}

int DXF_Reader::value_int() {
  int v;
  if (!tags_.value_as_int(v)) throw DXF_read_exception("Invalid Integer conversion", tags_.line_number());
  return v;
}

bool DXF_Reader::read_group(int& code, std::string& text) {
  code = next_group();
  if (code == dxf_code::Failure) return false;
  text = tags_.value();
  return true;
}

void DXF_Reader::log(std::string_view name) {
  if (skipped_log_) skipped_log_->emplace_back(name);
}

int DXF_Reader::layer_index(const std::string& name) {
  const auto it = layer_lookup_.find(name);
  return it == layer_lookup_.end() ? -1 : it->second;
}

DXF_Layer& DXF_Reader::layer_named(const std::string& name) {
  const int i = layer_index(name);
  if (i >= 0) return *layers_[std::size_t(i)];
  layers_.push_back(std::make_unique<DXF_Layer>(name));
  layer_lookup_.emplace(name, int(layers_.size() - 1));
  return *layers_.back();
}

bool DXF_Reader::read_record(abstract_entity& r) {
  using namespace dxf_code;
  for (;;) {
    const int code = next_group();
    if (code <= 0) {
      if (code < 0) return false;
      push_back(code);
      r.extrusion = normalize(r.extrusion);
      return true;
    }
    switch (code) {
      case Text: r.text = tags_.value(); break;
      case BlockName: r.name = tags_.value(); break;
      case Prompt: r.prompt = tags_.value(); break;
      case Layer: r.layer = tags_.value(); break;
      case X1:
      case X2:
      case X3:
      case X4: r.p[code - X1].x = value_float(); break;
      case Y1:
      case Y2:
      case Y3:
      case Y4: r.p[code - Y1].y = value_float(); break;
      case Z1:
      case Z2:
      case Z3:
      case Z4: r.p[code - Z1].z = value_float(); break;
      case Elevation: r.elevation = value_float(); break;
      case Thickness: r.thickness = value_float(); break;
      case Radius: r.radius = value_float(); break;
      case ScaleX: r.scale_x = value_float(); break;
      case ScaleY: r.scale_y = value_float(); break;
      case ScaleZ: r.scale_z = value_float(); break;
      case Angle1: r.angle1 = value_float(); break;
      case Angle2: r.angle2 = value_float(); break;
      case Colour: r.colour = value_int(); break;
      case EntitiesFollow: r.entities_follow = value_int(); break;
      case Flags: r.flags = value_int(); break;
      case Count71: r.i71 = value_int(); break;
      case Count72: r.i72 = value_int(); break;
      case Count73: r.i73 = value_int(); break;
      case Count74: r.i74 = value_int(); break;
      case ExtrusionX: r.extrusion.x = value_float(); break;
      case ExtrusionY: r.extrusion.y = value_float(); break;
      case ExtrusionZ: r.extrusion.z = value_float(); break;
      default: break;
    }
  }
}

bool DXF_Reader::read_entity_record(abstract_entity& r, int& layer) {
  r.clear();
  if (!read_record(r)) return false;
  layer_named(r.layer);
  layer = layer_index(r.layer);
  return true;
}

// ---- sections ----

bool DXF_Reader::find_section(const char* name) {
  for (;;) {
    int code = next_group();
    if (code == dxf_code::Failure) return false;
    if (code != dxf_code::Name) continue;
    if (!tags_.value_is("SECTION")) {
      log(tags_.value());
      continue;
    }
    code = next_group();
    if (code == dxf_code::Failure) return false;
    if (code == dxf_code::BlockName) return tags_.value_is(name);
    log(tags_.value());
  }
}

bool DXF_Reader::read_point(Point3D& p) {
  int code;
  do {
    code = next_group();
    if (code == dxf_code::Failure) return false;
  } while (code != dxf_code::X1);
  p.x = value_float();
  if (next_group() == dxf_code::Failure) return false;
  p.y = value_float();
  return true;
}

bool DXF_Reader::read_header() {
  for (;;) {
    const int code = next_group();
    if (code == dxf_code::Failure) return false;
    if (code == dxf_code::Name && tags_.value_is("ENDSEC")) return true;
    if (code == dxf_code::Variable) {
      if (tags_.value_is("$EXTMAX")) {
        if (!read_point(extmax_)) return false;
      } else if (tags_.value_is("$EXTMIN")) {
        if (!read_point(extmin_)) return false;
      }
    }
  }
}

bool DXF_Reader::read_tables() {
  for (;;) {
    int code = next_group();
    if (code == dxf_code::Failure) return false;
    if (code != dxf_code::Name) continue;
    if (tags_.value_is("ENDSEC")) return true;
    if (!tags_.value_is("TABLE")) continue;
    code = next_group();
    if (code == dxf_code::Failure) return false;
    if (code != dxf_code::BlockName) continue;
    if (tags_.value_is("LAYER"))
      read_layer_table();
    else if (tags_.value_is("VPORT"))
      read_vport_table();
    else
      log(tags_.value());
  }
}

void DXF_Reader::read_layer_table() {
  // The entry's name is its group 2, which writers put after other groups
  // (a handle) as often as first; its colour follows the name.
  DXF_Layer* current = nullptr;
  bool awaiting_name = false;
  for (;;) {
    const int code = next_group();
    if (code == dxf_code::Failure) return;
    if (code == dxf_code::Name) {
      if (tags_.value_is("ENDTAB")) return;
      current = nullptr;
      awaiting_name = tags_.value_is("LAYER");
      if (!awaiting_name) log(tags_.value());
    } else if (code == dxf_code::BlockName && awaiting_name) {
      // Every entry makes a layer, also when an earlier one has its name;
      // records are filed on the first.
      const std::string name(tags_.value());
      layers_.push_back(std::make_unique<DXF_Layer>(name));
      layer_lookup_.emplace(name, int(layers_.size() - 1));
      current = layers_.back().get();
      awaiting_name = false;
    } else if (code == dxf_code::Colour && current) {
      current->colour_number = value_int();
    }
  }
}

void DXF_Reader::read_vport_table() {
  // Nothing of the viewports is kept: the table is passed over up to its end,
  // with the names of the entries logged.
  bool awaiting_name = false;
  for (;;) {
    const int code = next_group();
    if (code == dxf_code::Failure) return;
    if (code == dxf_code::Name) {
      if (tags_.value_is("ENDTAB")) return;
      awaiting_name = tags_.value_is("VPORT");
      if (!awaiting_name) log(tags_.value());
    } else if (code == dxf_code::BlockName && awaiting_name) {
      log(tags_.value());
      awaiting_name = false;
    }
  }
}

Entity_List* DXF_Reader::block_list() const {
  for (const auto& layer : layers_)
    for (std::size_t i = 0; i < layer->list_names.size(); ++i)
      if (layer->list_names[i] == "Block_") return layer->lists[i].get();
  return nullptr;
}

bool DXF_Reader::read_blocks() {
  for (;;) {
    int code = next_group();
    if (code == dxf_code::Failure) return false;
    if (code != dxf_code::Name) continue;
    if (tags_.value_is("ENDSEC")) return true;
    if (!tags_.value_is("BLOCK")) continue;
    int layer;
    if (!read_entity_record(record_, layer)) return false;
    auto owned = std::make_unique<Block_>(record_.name, record_.p[0]);
    Block_& block = *owned;
    layer_named("0").add_entity(std::move(owned));
    block_lookup_.emplace(block.name, &block);
    for (;;) {
      code = next_group();
      if (code == dxf_code::Failure) return false;
      if (code != dxf_code::Name) continue;
      const std::string name(tags_.value());
      std::unique_ptr<DXF_Entity> entity;
      if (guarded_read_entity(name, "ENDBLK", layer, entity)) break;
      if (entity) block.entities.push_back(std::move(entity));
    }
  }
}

bool DXF_Reader::read_entities() {
  for (;;) {
    const int code = next_group();
    if (code == dxf_code::Failure) return false;
    if (code != dxf_code::Name) continue;
    const std::string name(tags_.value());
    int layer = -1;
    std::unique_ptr<DXF_Entity> entity;
    if (guarded_read_entity(name, "ENDSEC", layer, entity)) return true;
    if (entity) layers_[std::size_t(layer)]->add_entity(std::move(entity));
  }
}

bool DXF_Reader::guarded_read_entity(const std::string& name, const char* terminator, int& layer,
                                     std::unique_ptr<DXF_Entity>& entity) {
  try {
    return read_entity(name, terminator, layer, entity);
  } catch (const DXF_read_exception& e) {
    entity.reset();
    if (events_ && !events_->entity_warning(e.what())) throw DXF_read_exception("User aborted", -1);
  } catch (const std::exception& e) {
    entity.reset();
    if (events_) events_->show_message(e.what());
  }
  return false;
}

bool DXF_Reader::read_entity(const std::string& name, const char* terminator, int& layer,
                             std::unique_ptr<DXF_Entity>& entity) {
  entity.reset();
  if (name == terminator) return true;
  if (name == "INSERT")
    entity = read_insert(layer);
  else if (name == "POLYLINE")
    entity = read_polyline(layer);
  else if (name == "POINT" || name == "TEXT" || name == "LINE" || name == "3DFACE" || name == "SOLID" ||
           name == "CIRCLE" || name == "ARC" || name == "ATTDEF" || name == "ATTRIB")
    entity = read_simple(name, layer);
  else
    log(name);
  return false;
}

namespace {

std::unique_ptr<Attrib_> make_attrib(const abstract_entity& r) {
  return std::make_unique<Attrib_>(r.extrusion, r.colour, r.radius, r.i72, r.flags, r.text, r.name, r.p[1], r.p[0]);
}

}  // namespace

std::unique_ptr<DXF_Entity> DXF_Reader::read_simple(const std::string& name, int& layer) {
  abstract_entity& r = record_;
  if (!read_entity_record(r, layer)) throw DXF_read_exception("Error reading " + name + " entity", tags_.line_number());
  if (name == "LINE") return std::make_unique<Line_>(r.p[0], r.colour, r.p[1]);
  if (name == "POINT") return std::make_unique<Point_>(r.extrusion, r.colour, r.p[0]);
  if (name == "CIRCLE") return std::make_unique<Circle_>(r.extrusion, r.colour, r.radius, r.p[0]);
  if (name == "ARC") return std::make_unique<Arc_>(r.extrusion, r.colour, r.angle1, r.angle2, r.radius, r.p[0]);
  if (name == "TEXT") return std::make_unique<Text_>(r.extrusion, r.i72, r.colour, r.radius, r.text, r.p[1], r.p[0]);
  if (name == "ATTRIB") return make_attrib(r);
  if (name == "ATTDEF")
    return std::make_unique<Attdef_>(r.extrusion, r.colour, r.radius, r.i72, r.flags, r.text, r.name, r.p[1], r.p[0],
                                     r.prompt);
  if (name == "3DFACE") return std::make_unique<Face3D_>(r.corner_count(), r.colour, r.p);
  return std::make_unique<Solid_>(r.extrusion, r.thickness, r.colour, r.p, r.corner_count());
}

// The SEQEND that ended a sequence is consumed exactly once: it may still be
// waiting as the pushed-back group after the last record, or it may already
// have been taken. True when it was a record name (code 0).
bool DXF_Reader::consume_seqend() {
  if (tags_.pushed_back()) return next_group() == dxf_code::Name;
  return tags_.group_code() == dxf_code::Name;
}

std::unique_ptr<DXF_Entity> DXF_Reader::read_insert(int& layer) {
  abstract_entity& r = record_;
  auto fail = [this] { return DXF_read_exception("Error reading INSERT entity", tags_.line_number()); };
  if (!read_entity_record(r, layer)) throw fail();
  std::vector<std::unique_ptr<Attrib_>> attribs;
  std::size_t attrib_total = 0;
  if (r.entities_follow == 1) {
    for (;;) {
      if (next_group() != dxf_code::Name) throw fail();
      if (tags_.value_is("ATTRIB")) {
        int attrib_layer;
        if (!read_entity_record(vertex_record_, attrib_layer)) throw fail();
        // Only so many are kept; the count still tells the insert how many there were.
        if (attribs.size() < std::size_t(limits_.max_insert_attribs)) attribs.push_back(make_attrib(vertex_record_));
        ++attrib_total;
      }
      if (tags_.value_is("SEQEND")) {
        if (!consume_seqend()) throw fail();
        break;
      }
    }
  }
  if (attrib_total > std::size_t(Insert_::max_attribs))
    throw std::runtime_error("This version only handles " + std::to_string(Insert_::max_attribs) + " ATTRIBs");
  const Point3D scale{r.scale_x == 0 ? 1 : r.scale_x, r.scale_y == 0 ? 1 : r.scale_y, r.scale_z == 0 ? 1 : r.scale_z};
  auto insert = std::make_unique<Insert_>(r.extrusion, r.p[0], scale, r.angle1, r.colour, std::move(attribs), r.name);
  try {
    Entity_List* list = block_list();
    if (!list) throw std::runtime_error("no blocks");
    // The first block of that name, as the insert's own search would find it.
    if (const auto it = block_lookup_.find(insert->block_name); it != block_lookup_.end()) insert->block = it->second;
    insert->set_block_list(list);
  } catch (const std::exception&) {
    throw DXF_read_exception(undefined_block_message, tags_.line_number());
  }
  return insert;
}

void DXF_Reader::add_vertex(const Point3D& p) {
  if (vertices_.size() >= std::size_t(limits_.max_vertices))
    throw DXF_read_exception("Polyline contained more than " + std::to_string(limits_.max_vertices) + " vertices",
                             tags_.line_number());
  vertices_.push_back(p);
}

std::unique_ptr<DXF_Entity> DXF_Reader::read_polyline(int& layer) {
  abstract_entity& head = record_;
  auto fail = [this] { return DXF_read_exception("Error reading POLYLINE entity", tags_.line_number()); };
  if (!read_entity_record(head, layer)) throw fail();
  const bool mesh = head.flags & 16;
  const bool polyface = !mesh && (head.flags & 64);
  vertices_.clear();
  faces_.clear();
  for (;;) {
    const int code = next_group();
    if (code == dxf_code::Failure) throw fail();
    if (code == dxf_code::Name && tags_.value_is("VERTEX")) {
      abstract_entity& v = vertex_record_;
      v.clear();
      if (!read_record(v)) throw fail();
      if (mesh) {
        if (!(v.flags & 64)) throw fail();
        add_vertex(v.p[0]);
      } else if (polyface) {
        if ((v.flags & 128) && (v.flags & 64)) {
          add_vertex(v.p[0]);
        } else if (v.flags & 128) {
          if (faces_.size() >= std::size_t(limits_.max_faces))
            throw DXF_read_exception(
                "Polyface mesh contained more than " + std::to_string(limits_.max_faces) + " faces",
                tags_.line_number());
          auto index = [](int g) { return std::int32_t(std::llabs(static_cast<long long>(g)) - 1); };
          faces_.push_back({index(v.i71), index(v.i72), index(v.i73), index(v.i74)});
        } else {
          throw fail();
        }
      } else {
        add_vertex(v.p[0]);
      }
    }
    if (tags_.value_is("SEQEND")) {
      if (!consume_seqend()) throw fail();
      break;
    }
  }
  // A polyline without vertices has nothing to show; it is left out.
  if (vertices_.empty()) return nullptr;
  const int count = int(vertices_.size());
  if (mesh) {
    if (static_cast<long long>(head.i71) * head.i72 != count) return nullptr;
    return std::make_unique<Polygon_mesh_>(count, head.colour, head.flags, vertices_.data(), head.i72, head.i71);
  }
  if (polyface)
    return std::make_unique<Polyface_mesh_>(count, head.colour, faces_.data(), vertices_.data(), int(faces_.size()));
  return std::make_unique<Polyline_>(head.extrusion, head.flags & 1, head.colour, vertices_.data(), count);
}

// ---- whole file ----

void DXF_Reader::grow_extents() {
  // Header extents stand when both are set and form a box. Writers mark
  // unknown extents with an inverted box (1e20 down to -1e20); those are
  // widened over the entities like unset ones, which from an inverted start
  // gives exactly the entities' box.
  const bool box = extmin_.x <= extmax_.x && extmin_.y <= extmax_.y;
  if (!points_equal(extmin_, origin) && !points_equal(extmax_, origin) && box) return;
  for (const auto& layer : layers_) layer->grow_extents(extmax_, extmin_);
}

bool DXF_Reader::read_file() {
  try {
    tags_.mark();
    if (!find_section("HEADER") || !read_header()) tags_.rewind();
    tags_.mark();
    if (!find_section("TABLES") || !read_tables()) tags_.rewind();
    tags_.mark();
    if (!find_section("BLOCKS") || !read_blocks()) tags_.rewind();
    tags_.mark();
    if (!find_section("ENTITIES") || !read_entities())
      throw DXF_read_exception("No Entities or invalid Entities section in DXF file", -1);
  } catch (const DXF_read_exception& e) {
    if (events_) events_->read_error(e.what());
  } catch (const Stop_reading&) {
  } catch (const std::exception& e) {
    // Whatever else stops the read is shown like a reading error; what was
    // read so far is kept.
    if (events_) events_->read_error(e.what());
  }
  grow_extents();
  return true;
}

}  // namespace pelindra
