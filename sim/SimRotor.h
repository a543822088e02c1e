#pragma once

namespace sim {

// A small servo's rotor: inertia, viscous and Coulomb friction, a torque limit and a
// first-order thermal model driven by the winding current.
class SimRotor
{
public:
    void step(double dt, double torqueCommand, double kt);
    void setZero()
    {
        offset_ += position_;
        position_ = 0.0;
    }

    double position() const { return position_; } // rad, relative to the mechanical zero
    double totalAngle() const { return position_ + offset_; }
    double velocity() const { return velocity_; } // rad/s
    double torque() const { return torque_; } // N·m
    double current() const { return current_; } // A (q axis)
    double temperature() const { return temperature_; } // °C
    double torqueLimit = 12.0;

private:
    double position_ = 0.0;
    double offset_ = 0.0;
    double velocity_ = 0.0;
    double torque_ = 0.0;
    double current_ = 0.0;
    double temperature_ = 25.0;
};

} // namespace sim
