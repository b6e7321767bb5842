#include "cluster/cluster_options.h"

namespace cluster {

ClusterOptions ReadClusterOptions(const std::vector<std::string>& args, const std::string& ownPath) {
  ClusterOptions o;
  const size_t slash = ownPath.rfind('/');
  o.enginePath = (slash == std::string::npos ? std::string(".") : ownPath.substr(0, slash)) + "/tolvo";
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--engine" && hasValue) {
      o.enginePath = args[++i];
    } else if (a == "--option" && hasValue && args[i + 1].find('=') != std::string::npos) {
      o.engineOptions.push_back(args[++i]);
    } else if (a == "--log" && hasValue) {
      o.logPath = args[++i];
    } else {
      o.valid = false;
      o.error = "unknown or incomplete argument: " + a;
      return o;
    }
  }
  return o;
}

std::string SetOptionLine(const std::string& nameValue) {
  const size_t eq = nameValue.find('=');
  return "setoption name " + nameValue.substr(0, eq) + " value " + nameValue.substr(eq + 1);
}

}  // namespace cluster
