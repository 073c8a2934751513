// A host program whose own class the rules reach: thermostats publish their properties once and
// are registered by class name; the rules find the hall's thermostat by name, make one for the
// attic, set each one's mode from its readings and free what they made.
//   thermostats [KNOWLEDGE-BASE]   (default: thermostats.clp next to the program's sources)
#include <core/engine/InferenceEngine.h>
#include <platform/Properties.h>

#include <cstdio>
#include <exception>
#include <string>

#ifndef THERMOSTATS_KB
#define THERMOSTATS_KB "thermostats.clp"
#endif

PLATFORM_ENUM(TThermostatMode, tmOff, tmHeat, tmCool)

class TThermostat : public platform::TComponent {
  PLATFORM_CLASS(TThermostat, platform::TComponent)
 public:
  using TComponent::TComponent;

  static void DeclareProperties(platform::TPropertyList<TThermostat>& P) {
    P.Add("Room", &TThermostat::GetRoom, &TThermostat::SetRoom);
    P.Add("Temperature", &TThermostat::GetTemperature, &TThermostat::SetTemperature, 20.0);
    P.Add("Target", &TThermostat::GetTarget, &TThermostat::SetTarget, 21);
    P.Add("Mode", &TThermostat::GetMode, &TThermostat::SetMode, tmOff);
  }

  const std::string& GetRoom() const { return Room_; }
  void SetRoom(const std::string& Value) { Room_ = Value; }
  double GetTemperature() const { return Temperature_; }
  void SetTemperature(double Value) { Temperature_ = Value; }
  int GetTarget() const { return Target_; }
  void SetTarget(int Value) { Target_ = Value; }
  TThermostatMode GetMode() const { return Mode_; }
  void SetMode(TThermostatMode Value) {
    if (Value != Mode_) std::printf("[host] %s switches to %s\n", Room_.c_str(), platform::EnumName(Value).c_str());
    Mode_ = Value;
  }

 private:
  std::string Room_;
  double Temperature_ = 20.0;
  int Target_ = 21;
  TThermostatMode Mode_ = tmOff;
};

int main(int argc, char** argv) {
  using namespace rulecore;
  try {
    platform::RegisterClass<TThermostat>();
    // The house owns the engine and the hall's thermostat: (get-component Hall) finds it.
    platform::TComponent House;
    auto* Hall = new TThermostat(&House);
    Hall->SetName("Hall");
    Hall->SetRoom("hall");
    Hall->SetTemperature(16.5);
    auto* Engine = new TInferenceEngine(&House);
    Engine->OnPrintOut = [](TInferenceEngine*, const std::string&, const std::string& Text) {
      std::fputs(Text.c_str(), stdout);
    };

    Engine->LoadFromFile(argc > 1 ? argv[1] : THERMOSTATS_KB);
    Engine->Reset();
    const int32_t Fired = Engine->Run();
    std::printf("%d rules fired\n", Fired);
    std::printf("hall: mode %s, %d components in the house\n", platform::EnumName(Hall->GetMode()).c_str(),
                House.GetComponentCount());
    return 0;
  } catch (const std::exception& Error) {
    std::fprintf(stderr, "thermostats: %s\n", Error.what());
    return 1;
  }
}
