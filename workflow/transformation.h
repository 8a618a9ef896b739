// A transformation step: what carries points from the system it was made
// for (before) to another (after). It is what a parameters file holds, what
// an estimation produces and what typed seven parameters are.
//
//   Seven  Bursa-Wolf on earth-centred X Y Z between two datums (any forms
//          on either side but the local grid), in either rotation
//          convention; with a height fit, the after heights are then
//          corrected at the after plane position (the after system must be
//          projected: the fit was made in its plane).
//   Three  a shift of earth-centred X Y Z between two datums (dX dY dZ),
//          with or without a height fit, as seven parameters are: seven
//          parameters without rotations and scale, for a small area.
//   Four   a site calibration: the plane similarity of a projected before
//          system onto a projected after system or the local grid, with an
//          optional height fit made at the before plane positions.
//
// A height fit may sit on a geoid model (a calibration made with one): it
// then models what the model leaves, ζ − N, and the step corrects heights
// by the fit and N together, N taken at the fit's plane position (its
// latitude and longitude on that plane's datum). A geoid serves only a
// height fit.
//
// A step names the systems it was made for; typed seven parameters name
// none and serve any two datums (in a chain, the datum the chain is on when
// it reaches them and the datum the next step starts on, or the target's:
// see workflow/chain.h). A plane a fit was made in (the before
// system of four parameters, the after system of a height fit) is one
// plane: in zones, it is the one zone its common points were in.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bursa/convention.h"
#include "bursa/four_params.h"
#include "bursa/height_fit.h"
#include "bursa/seven_params.h"
#include "bursa/three_params.h"
#include "workflow/coordinate_system.h"
#include "workflow/geoid_model.h"

namespace zelk {

struct Transformation {
    enum class Model { Seven, Four, Three } model = Model::Seven;
    SevenParams seven;  // Seven, in user units, in `convention`
    RotationConvention convention = RotationConvention::CoordinateFrame;
    FourParams four;    // Four
    ThreeParams three;  // Three
    // The height fit (model, centroid and coefficients), when there is one.
    std::optional<HeightFit> height;
    // The geoid model the height fit sits on, when there is one.
    std::optional<GeoidModel> geoid;
    // The systems it was made for; typed seven parameters have none.
    std::optional<Crs> before, after;
    // The file it was read from, which messages about it name; empty when
    // typed or estimated here.
    std::string source;
    // Applied backwards, from its after system to its before: the exact
    // inverse of each operation (zelk-cli --inverse, 反算 in the dialogs).
    // Without it a step that names its systems goes whichever way the
    // conversion needs (workflow/chain.h). Never written to a parameters
    // file.
    bool inverse = false;

    // Seven or three parameters: between two datums, on earth-centred X Y Z.
    bool ChangesDatum() const { return model != Model::Four; }

    // Typed seven parameters, for any systems.
    static Transformation Seven(const SevenParams& params,
                                RotationConvention convention = RotationConvention::CoordinateFrame) {
        Transformation t;
        t.seven = params;
        t.convention = convention;
        return t;
    }
};

// The chain that undoes steps: the same steps in reverse order, each
// applied backwards (a step already backwards goes forwards again).
std::vector<Transformation> ReversedChain(std::vector<Transformation> steps);

// What stops a model, with or without a height fit, from joining two
// systems, as shown to the user; empty when it can. The same rules judge
// what an estimation is asked for and what a parameters file holds.
std::string ModelProblemText(Transformation::Model model, bool heightFit, const Crs& before,
                             const Crs& after);

// What stops a geoid model from serving a calibration, as shown to the
// user; empty when nothing does: the model did not open, or there is no
// height fit to sit on it (the fit takes up at least the constant offset
// between the model and the local heights).
std::string GeoidFitProblemText(const std::optional<GeoidModel>& geoid, bool heightFit);

// Whether a side's system is a plane a fit was made in: both sides of four
// parameters (when projected), the after side of a height fit with seven.
// Such a plane in zones is one zone (Crs::zone set).
bool IsFittedPlane(const Transformation& transformation, bool after);

}  // namespace zelk
