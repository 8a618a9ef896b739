// The original program's entry points for its six coordinate systems, as
// thin adapters over the model: list indices and CoordinateSystem values
// turn into zelk::Crs, and every conversion runs through one
// zelk::ConversionChain (workflow/chain.h), so the doubles are the model's.
//
//   source system -> earth-centred X Y Z of the source datum -> seven
//   parameters -> X Y Z of the target datum -> target system.
//
// Every step works on one point triple owned by the caller and overwritten in
// place: x y H or B L H (packed DMS) at the ends, X Y Z in the middle.
#pragma once

#include <cstdio>
#include <vector>

#include "bursa/seven_params.h"
#include "workflow/chain.h"
#include "workflow/coordinate_system.h"
#include "workflow/estimation_run.h"
#include "workflow/file_conversion.h"

enum class CoordinateSystem {
    Wgs84Utm,
    Wgs84Geodetic,
    Beijing54Gauss,
    Beijing54Geodetic,
    Xian80Gauss,
    Xian80Geodetic,
};

inline constexpr int kSystemCount = 6;

// The main dialog's list order (source and target lists):
//   0 WGS84-UTM--xyH, 1 WGS84-大地坐标, 2 北京54-高斯-xyH, 3 北京54-大地坐标,
//   4 西安80-高斯-xyH, 5 西安80-大地坐标. Projected systems at even indices.
// index must be 0 to 5.
CoordinateSystem SystemFromMainList(int index);
// The seven-parameter dialog's list order (before and after lists):
//   0 北京54大地坐标BLH, 1 北京54高斯投影xyH, 2 西安80大地坐标BLH,
//   3 西安80高斯投影xyH, 4 WGS84大地坐标BLH, 5 WGS84UTM投影xyH.
// Projected systems at odd indices. index must be 0 to 5.
CoordinateSystem SystemFromParamList(int index);

// The item texts of the two lists, index 0 to 5.
const char* MainListLabel(int index);
const char* ParamListLabel(int index);

// True for the three projected systems (they need a central meridian).
bool IsProjected(CoordinateSystem system);

// The system as a value: its catalogue entry on the given central meridian.
zelk::Crs CrsOf(CoordinateSystem system, double meridian);

// Triple in the system -> X Y Z on its datum. A geodetic system ignores the
// meridian (packed DMS).
void SystemToCartesian(CoordinateSystem system, double meridian, double& a, double& b, double& c);
// X Y Z on the system's datum -> triple in the system.
void CartesianToSystem(CoordinateSystem system, double meridian, double& a, double& b, double& c);

// Converts the triple in place from the source to the target system, both
// given by main-list index, applying params forwards. An index outside 0 to 5
// leaves that side as X Y Z.
void ConvertPoint(int sourceIndex, int targetIndex, double sourceMeridian, double targetMeridian,
                  const zelk::SevenParams& params, double& a, double& b, double& c);

// The chain of ConvertPoint for these arguments, built once for many points.
zelk::ConversionChain MainListChain(int sourceIndex, int targetIndex, double sourceMeridian,
                                    double targetMeridian, const zelk::SevenParams& params);

// The source half of ConvertPoint by seven-parameter-list index: the triple
// becomes X Y Z on the datum of that system. Other indices leave it unchanged.
void PointToCartesian(int index, double meridian, double& a, double& b, double& c);

// A point file through the chain of ConvertPoint (main-list indices).
zelk::FileConversionResult ConvertPointFile(std::FILE* in, std::FILE* out, bool withNames,
                                      int sourceIndex, int targetIndex, double sourceMeridian,
                                      double targetMeridian, const zelk::SevenParams& params,
                                      const zelk::FileConversionOptions& options = {});

// Two plain common-point files read in step by seven-parameter-list index
// (0 to 5; other indices keep the values as read), each point brought to
// X Y Z by PointToCartesian and appended to before and after. Reading ends
// with the before file, or after a pair that ends the after file.
zelk::CommonPointsResult ReadCommonPoints(std::FILE* beforeFile, std::FILE* afterFile, int beforeSystem,
                                    int afterSystem, double beforeMeridian, double afterMeridian,
                                    std::vector<zelk::PointRecord>& before,
                                    std::vector<zelk::PointRecord>& after);
