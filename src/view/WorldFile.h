#pragma once

#include <string>
#include <string_view>

#include "mapdb/MapRecord.h"
#include "platform/Result.h"

namespace view {

// A picture's georeferencing for GIS programs: a world file of six lines that
// places its pixels, and the name of their coordinates, WGS 84 longitude and
// latitude in degrees, twice: in a .prj, which most GIS programs read, and in
// a PAM file (PICTURE.aux.xml), which is where GDAL, and so every program
// built on it, looks for the coordinate system of a PNG, JPEG, GIF or BMP.

// The coordinate system of a map's corners, as a .prj holds it.
constexpr std::string_view kWgs84Prj =
    "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],"
    "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";

// The same as a PAM file: EPSG:4326, its data in longitude, latitude order.
constexpr std::string_view kWgs84AuxXml =
    "<PAMDataset>\n"
    "  <SRS dataAxisToSRSAxisMapping=\"2,1\">GEOGCS[&quot;WGS 84&quot;,DATUM[&quot;WGS_1984&quot;,"
    "SPHEROID[&quot;WGS 84&quot;,6378137,298.257223563,AUTHORITY[&quot;EPSG&quot;,&quot;7030&quot;]],"
    "AUTHORITY[&quot;EPSG&quot;,&quot;6326&quot;]],PRIMEM[&quot;Greenwich&quot;,0,"
    "AUTHORITY[&quot;EPSG&quot;,&quot;8901&quot;]],UNIT[&quot;degree&quot;,0.0174532925199433,"
    "AUTHORITY[&quot;EPSG&quot;,&quot;9122&quot;]],AXIS[&quot;Latitude&quot;,NORTH],"
    "AXIS[&quot;Longitude&quot;,EAST],AUTHORITY[&quot;EPSG&quot;,&quot;4326&quot;]]</SRS>\n"
    "</PAMDataset>\n";

// The picture's path with its extension, if any, replaced by `extension`
// (small letters: "pgw"), in capitals when the picture's extension is in capitals.
std::string SidecarPath(const std::string& picturePath, std::string_view extension);

// The world file of a picture: .bpw for .bmp, .gfw for .gif, .jgw for .jpg,
// .jpeg, .jpe and .jfif, .pgw for .png, and .wld, which any picture may have,
// for another.
std::string WorldFilePath(const std::string& picturePath);

// The world file of `map`'s picture: the width and the negative height of a
// pixel in degrees, no rotation, and the longitude and latitude of the centre
// of the top-left pixel; each on its own line, with a decimal point and no exponent.
std::string WorldFileText(const mapdb::MapRecord& map);

// Writes the world file, the .prj and the PAM file beside the picture of `map`
// at `picturePath`: "Cannot create the file PATH:\nREASON" when one cannot be written.
platform::Result<void> WriteGeoreferencing(const mapdb::MapRecord& map, const std::string& picturePath);

}  // namespace view
