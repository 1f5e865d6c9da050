#!/usr/bin/env bash
# A pellimor run on a Slurm cluster: 4 nodes, one rank per node, each rank
# with the node's 32 CPUs as worker threads. Submit from the folder that is
# to receive the results file (rank 0 writes it in its working folder):
#   sbatch scripts/pellimor.sbatch
#SBATCH --job-name=pellimor
#SBATCH --nodes=4
#SBATCH --ntasks-per-node=1
#SBATCH --cpus-per-task=32
#SBATCH --time=02:00:00
#SBATCH --output=pellimor-%j.out
#SBATCH --signal=TERM@120

# srun passes SIGTERM (at the time limit, or from scancel) to every rank;
# the run then ends after a whole report line.
srun build-mpi/pellimor --seed 1 --threads "$SLURM_CPUS_PER_TASK" 30 200000 100000
