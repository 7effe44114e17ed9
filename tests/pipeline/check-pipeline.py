#!/usr/bin/python3
"""Checks for engine-proof.sh.

check-pipeline.py yaml GITLAB.yml WORKFLOW.yml PIPELINE.json
    Both YAML files read back with a real YAML reader into what the JSON model says: one GitLab
    job per node with its stage, needs and artifacts; one GitHub job per level with the level's
    projects in its matrix, each level after the one before.
check-pipeline.py names PIPELINE.json
    The names of the nodes, one a line, as JSON gives them back.
check-pipeline.py run PIPELINE.json TIMELINE SEQUENTIAL.xml REPORT.xml...
    Each job ran (its first command started, its last ended); every job started after the jobs it
    needs ended; some jobs without a dependency between them ran at the same time; and the union
    of the jobs' JUnit reports holds the same test cases with the same outcomes as the sequential
    build's report.
"""
import json
import sys
import xml.etree.ElementTree as ET

import yaml


def fail(text):
    print(f"check-pipeline.py: {text}", file=sys.stderr)
    sys.exit(1)


def check_yaml(gitlab_path, workflow_path, json_path):
    model = json.load(open(json_path, encoding="utf-8"))
    nodes = model["nodes"]
    gitlab = yaml.safe_load(open(gitlab_path, encoding="utf-8"))
    jobs = {name: job for name, job in gitlab.items() if name != "stages"}
    if sorted(jobs) != sorted(n["job"] for n in nodes):
        fail(f"the GitLab jobs {sorted(jobs)} are not the model's nodes")
    for node in nodes:
        job = jobs[node["job"]]
        if job["stage"] != f"level-{node['level']}" or job["stage"] not in gitlab["stages"]:
            fail(f"{node['job']}: stage {job['stage']}")
        needs = [need["job"] for need in job["needs"]]
        if needs != [nodes[k]["job"] for k in node["needs"]] or not all(n["artifacts"] for n in job["needs"]):
            fail(f"{node['job']}: needs {needs}")
        if node["output"] not in job["artifacts"]["paths"] or job["artifacts"]["reports"]["junit"] != node["junit"]:
            fail(f"{node['job']}: artifacts {job['artifacts']}")
        if job["script"] != node["commands"]:
            fail(f"{node['job']}: script {job['script']} is not {node['commands']}")
    workflow = yaml.safe_load(open(workflow_path, encoding="utf-8"))
    levels = [name for name in workflow["jobs"]]
    if levels != [f"level-{k}" for k in range(len(model["levels"]))]:
        fail(f"the workflow's jobs {levels}")
    for k, name in enumerate(levels):
        entries = workflow["jobs"][name]["strategy"]["matrix"]["include"]
        if sorted(e["job"] for e in entries) != sorted(nodes[n]["job"] for n in model["levels"][k]):
            fail(f"{name}: matrix {entries}")
        if k > 0 and workflow["jobs"][name]["needs"] != [levels[k - 1]]:
            fail(f"{name}: needs {workflow['jobs'][name]['needs']}")


def cases(report_paths):
    found = {}
    for path in report_paths:
        for case in ET.parse(path).getroot().iter("testcase"):
            outcome = "passed"
            for kind in ("failure", "error", "skipped"):
                if case.find(kind) is not None:
                    outcome = kind
            found[(case.get("name"), case.get("classname"))] = outcome
    return found


def check_run(json_path, timeline_path, sequential, reports):
    model = json.load(open(json_path, encoding="utf-8"))
    spans = {}
    for line in open(timeline_path, encoding="utf-8"):
        job, what, when = line.split()
        start, end = spans.get(job, (None, None))
        when = float(when)
        if what == "start":
            spans[job] = (when if start is None else min(start, when), end)
        else:
            spans[job] = (start, when if end is None else max(end, when))
    for node in model["nodes"]:
        if node["job"] not in spans or None in spans[node["job"]]:
            fail(f"{node['job']} never ran")
        for need in node["needs"]:
            if spans[node["job"]][0] < spans[model["nodes"][need]["job"]][1]:
                fail(f"{node['job']} started before {model['nodes'][need]['job']} ended")
    overlapping = [
        (a["job"], b["job"])
        for a in model["nodes"]
        for b in model["nodes"]
        if a["id"] < b["id"]
        and b["id"] not in a["dependsOn"]
        and a["id"] not in b["dependsOn"]
        and spans[a["job"]][0] < spans[b["job"]][1]
        and spans[b["job"]][0] < spans[a["job"]][1]
    ]
    if not overlapping:
        fail("no two independent jobs ran at the same time")
    # The sequential build names projects by their paths in its checkout: compare by project name.
    union = {name: outcome for (name, _), outcome in cases(reports).items()}
    alone = {name: outcome for (name, _), outcome in cases([sequential]).items()}
    if union != alone:
        fail(f"the jobs' reports {sorted(union.items())} differ from the sequential build's {sorted(alone.items())}")
    print(f"check-pipeline.py: {len(spans)} jobs in order, {len(overlapping)} independent pairs overlapped, "
          f"{len(union)} test cases as the sequential build reports them")


if __name__ == "__main__":
    if sys.argv[1] == "yaml":
        check_yaml(*sys.argv[2:5])
    elif sys.argv[1] == "names":
        for node in json.load(open(sys.argv[2], encoding="utf-8"))["nodes"]:
            print(node["name"])
    else:
        check_run(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:])
