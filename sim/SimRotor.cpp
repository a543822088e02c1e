#include "SimRotor.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {
constexpr double Inertia = 0.005; // kg·m², rotor with a light load
constexpr double Viscous = 0.02; // N·m·s/rad
constexpr double Coulomb = 0.04; // N·m
constexpr double MaxVelocity = 30.0;
constexpr double Ambient = 25.0;
constexpr double HeatPerA2 = 0.01; // °C/s per A²
constexpr double CoolingTau = 120.0; // s
} // namespace

void SimRotor::step(double dt, double torqueCommand, double kt)
{
    torque_ = std::clamp(torqueCommand, -torqueLimit, torqueLimit);
    current_ = kt > 0 ? torque_ / kt : 0.0;
    double friction = Viscous * velocity_;
    if (velocity_ != 0.0)
        friction += std::copysign(Coulomb, velocity_);
    else if (std::fabs(torque_) <= Coulomb)
        friction = torque_; // static friction holds the rotor
    double accel = (torque_ - friction) / Inertia;
    double v = velocity_ + accel * dt;
    // Friction may stop the rotor but never reverse it.
    if (velocity_ != 0.0 && (v > 0) != (velocity_ > 0) && std::fabs(torque_) <= Coulomb)
        v = 0.0;
    velocity_ = std::clamp(v, -MaxVelocity, MaxVelocity);
    position_ += velocity_ * dt;
    temperature_ += dt * (HeatPerA2 * current_ * current_ - (temperature_ - Ambient) / CoolingTau);
}

} // namespace sim
