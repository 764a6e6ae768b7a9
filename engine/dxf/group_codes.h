#pragma once
// DXF group codes the reader and the writers use, by meaning.

namespace pelindra::dxf_code {

constexpr int Failure = -2;   // no group: end of file or a malformed code line
constexpr int Name = 0;       // record type, SECTION, ENDSEC, EOF ...
constexpr int Text = 1;       // text string, attribute value
constexpr int BlockName = 2;  // also section and table names, attribute tags
constexpr int Prompt = 3;
constexpr int Layer = 8;
constexpr int Variable = 9;  // header variable name
constexpr int X1 = 10, Y1 = 20, Z1 = 30;
constexpr int X2 = 11, Y2 = 21, Z2 = 31;
constexpr int X3 = 12, Y3 = 22, Z3 = 32;
constexpr int X4 = 13, Y4 = 23, Z4 = 33;
constexpr int Elevation = 38;
constexpr int Thickness = 39;
constexpr int Radius = 40;  // also text height, start width
constexpr int EndWidth = 41;
constexpr int ScaleX = 41, ScaleY = 42, ScaleZ = 43;
constexpr int Angle1 = 50;  // rotation, start angle
constexpr int Angle2 = 51;  // end angle
constexpr int Colour = 62;
constexpr int EntitiesFollow = 66;
constexpr int Flags = 70;
constexpr int Count71 = 71, Count72 = 72, Count73 = 73, Count74 = 74;  // mesh sizes, face indices
constexpr int HAlign = 72;
constexpr int ExtrusionX = 210, ExtrusionY = 220, ExtrusionZ = 230;

}  // namespace pelindra::dxf_code
